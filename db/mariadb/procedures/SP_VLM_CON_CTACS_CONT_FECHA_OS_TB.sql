-- params: Ordem_Servico_ID, Solicit_Embarque_Container_ID, Tab_Tipo_Ordem_Servico_ID
-- The transport bills (CTAC, CT-e) of a container request of the given order,
-- the oldest first, as SP_VLM_CON_CTACS_CONT_FECHA_OS; here the request must
-- belong to that order, and the order be of the given type when one is given,
-- so that a stale request id never brings another order's bills into the
-- tracking of this one.
CREATE PROCEDURE SP_VLM_CON_CTACS_CONT_FECHA_OS_TB(IN p_Ordem_Servico_ID INT,
                                                   IN p_Solicit_Embarque_Container_ID INT,
                                                   IN p_Tab_Tipo_Ordem_Servico_ID INT)
  READS SQL DATA
BEGIN
  SELECT d.DOCTO_TRANSPORTE_ID AS DOCTO_TRANSPORTE_ID
    FROM DOCTO_TRANSPORTE d
    JOIN TAB_TIPO_DOCTO td ON td.TAB_TIPO_DOCTO_ID = d.TAB_TIPO_DOCTO_ID
    JOIN SOLICIT_EMBARQUE_CONTAINER sec
      ON sec.SOLICIT_EMBARQUE_CONTAINER_ID = d.SOLICIT_EMBARQUE_CONTAINER_ID
    JOIN ORDEM_SERVICO os ON os.ORDEM_SERVICO_ID = sec.ORDEM_SERVICO_ID
   WHERE d.SOLICIT_EMBARQUE_CONTAINER_ID = p_Solicit_Embarque_Container_ID
     AND os.ORDEM_SERVICO_ID = p_Ordem_Servico_ID
     AND (p_Tab_Tipo_Ordem_Servico_ID IS NULL OR os.TAB_TIPO_ORDEM_SERVICO_ID = p_Tab_Tipo_Ordem_Servico_ID)
     AND td.FLAG_CONHECIMENTO = 'S'
   ORDER BY d.DOCTO_TRANSPORTE_ID;
END
