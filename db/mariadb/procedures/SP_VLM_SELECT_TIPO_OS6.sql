-- params: Ordem_Servico_ID
-- Whether the order's cargo passes a distribution centre (contador, the number
-- of centres linked to it) and whether it is delivered on the same day
-- (flag_entrega_direta). Always answers one row: retorno 1 with the reason in
-- Msg_Ret for an unknown order.
CREATE PROCEDURE SP_VLM_SELECT_TIPO_OS6(IN p_Ordem_Servico_ID INT)
  READS SQL DATA
BEGIN
  SELECT CASE WHEN os.ORDEM_SERVICO_ID IS NULL THEN 1 ELSE 0 END AS retorno,
         CASE WHEN p_Ordem_Servico_ID IS NULL
                THEN 'Ordem de serviço não informada.'
              WHEN os.ORDEM_SERVICO_ID IS NULL
                THEN CONCAT('Ordem de serviço não cadastrada: ', p_Ordem_Servico_ID, '.')
         END                                                   AS Msg_Ret,
         (SELECT COUNT(*) FROM ORDEM_SERVICO_CD cd
           WHERE cd.ORDEM_SERVICO_ID = os.ORDEM_SERVICO_ID)    AS contador,
         os.FLAG_ENTREGA_DIRETA                                AS flag_entrega_direta
    FROM (SELECT 1 AS um) AS uma
    LEFT JOIN ORDEM_SERVICO os ON os.ORDEM_SERVICO_ID = p_Ordem_Servico_ID;
END
